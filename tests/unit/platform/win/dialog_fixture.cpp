#include "dialog_fixture.h"

#include "window.h"

static void addItem(HWND dialog, int id, const char* text, LPARAM data) {
  LRESULT i = SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  SendDlgItemMessageA(dialog, id, CB_SETITEMDATA, static_cast<WPARAM>(i), data);
}

static void init(HWND dialog, TestDialogState* s) {
  if (s->center) centerOnParent(dialog);
  GetWindowRect(dialog, &s->windowAtInit);
  SendMessageA(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Test dialog"));
  addItem(dialog, ID_COMBO, "Alpha", 10);
  addItem(dialog, ID_COMBO, "Beta", 20);
  addItem(dialog, ID_COMBO, "Gamma", 30);
  SendDlgItemMessageA(dialog, ID_COMBO, CB_SETCURSEL, 0, 0);
  addItem(dialog, ID_LOCKED_COMBO, "Locked", 5);
  SendDlgItemMessageA(dialog, ID_LOCKED_COMBO, CB_SETCURSEL, 0, 0);
  for (const char* line : {"Unit\tAHU-1", "", "     Supply connection"})
    SendDlgItemMessageA(dialog, ID_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
}

// Draws a list line the way the unit dialog does: a grey frame, label and value.
static void drawListItem(const DRAWITEMSTRUCT* dis) {
  char text[256] = {0};
  if (SendMessageA(dis->hwndItem, LB_GETTEXTLEN, dis->itemID, 0) < 255)
    SendMessageA(dis->hwndItem, LB_GETTEXT, dis->itemID, reinterpret_cast<LPARAM>(text));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  HGDIOBJ oldPen = SelectObject(dis->hDC, pen);
  HGDIOBJ oldBrush = SelectObject(dis->hDC, GetStockObject(WHITE_BRUSH));
  Rectangle(dis->hDC, dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom + 1);
  SelectObject(dis->hDC, oldPen);
  SelectObject(dis->hDC, oldBrush);
  DeleteObject(pen);
  SetBkMode(dis->hDC, TRANSPARENT);
  SelectObject(dis->hDC, GetStockObject(ANSI_VAR_FONT));
  RECT r = dis->rcItem;
  r.left += 8;
  DrawTextA(dis->hDC, text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | DT_NOPREFIX);
}

// Paints into the picture control's own context, as the model painter does.
static void paintPicture(HWND dialog) {
  PAINTSTRUCT ps;
  BeginPaint(dialog, &ps);
  HWND picture = GetDlgItem(dialog, ID_PICTURE);
  HDC hdc = GetDC(picture);
  RECT r;
  GetClientRect(picture, &r);
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(hdc, &r, white);
  DeleteObject(white);
  HPEN red = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(hdc, red);
  MoveToEx(hdc, 0, 0, nullptr);
  LineTo(hdc, r.right, r.bottom);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  HGDIOBJ oldBrush = SelectObject(hdc, blue);
  Ellipse(hdc, r.right / 2, 2, r.right - 2, r.bottom / 2);
  POINT triangle[3] = {{2, r.bottom - 2}, {r.right / 3, r.bottom - 2}, {2, r.bottom * 2 / 3}};
  Polygon(hdc, triangle, 3);
  SelectObject(hdc, oldBrush);
  SelectObject(hdc, old);
  DeleteObject(blue);
  DeleteObject(red);
  ReleaseDC(picture, hdc);
  EndPaint(dialog, &ps);
}

INT_PTR CALLBACK testDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  static TestDialogState* s = nullptr;
  switch (msg) {
    case WM_INITDIALOG:
      s = reinterpret_cast<TestDialogState*>(lParam);
      init(dialog, s);
      if (s->endInInit) EndDialog(dialog, 42);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        s->comboChoice = getComboSelectionData(dialog, ID_COMBO);
        s->lockedChoice = getComboSelectionData(dialog, ID_LOCKED_COMBO);
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        s->events.push_back("cancel");
        EndDialog(dialog, IDCANCEL);
      } else if (HIWORD(wParam) == CBN_SELCHANGE) {
        s->events.push_back("selchange " + std::to_string(LOWORD(wParam)));
      }
      return TRUE;
    case WM_CLOSE:
      s->events.push_back("close");
      if (!s->handleClose) return FALSE;
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      return TRUE;
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      mis->itemHeight = HIWORD(GetDialogBaseUnits()) * 6 / 5;
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (s) s->events.push_back("draw " + std::to_string(dis->CtlID) + " " + std::to_string(dis->itemID));
      if (dis->CtlID == ID_LIST) drawListItem(dis);
      return TRUE;
    }
    case WM_PAINT:
      if (s && s->paintPicture) {
        s->events.push_back("paint");
        paintPicture(dialog);
      }
      return FALSE;
    default:
      return FALSE;
  }
}
