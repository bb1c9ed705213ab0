// Dialog templates as the resource compiler writes them: DLGTEMPLATEEX (DIALOGEX) or the
// older DLGTEMPLATE (DIALOG), then the menu, window class, caption and font, then one
// DWORD-aligned record per control. Every read stays within the template's bytes.
#include "ui_internal.h"
#include "base_internal.h"

namespace zui {
namespace {

// Predefined control classes, by the atoms a template names them with.
const char* classOfAtom(WORD atom) {
  switch (atom) {
    case 0x0080: return "BUTTON";
    case 0x0081: return "EDIT";
    case 0x0082: return "STATIC";
    case 0x0083: return "LISTBOX";
    case 0x0084: return "SCROLLBAR";
    case 0x0085: return "COMBOBOX";
    default: return "";
  }
}

struct Reader {
  const BYTE* start;
  const BYTE* p;
  const BYTE* end;
  bool ok = true;

  bool has(size_t n) {
    if ((size_t)(end - p) < n) ok = false;
    return ok;
  }
  WORD word() {
    if (!has(2)) return 0;
    WORD v = (WORD)(p[0] | p[1] << 8);
    p += 2;
    return v;
  }
  DWORD dword() {
    DWORD low = word();
    return low | (DWORD)word() << 16;
  }
  short number() { return (short)word(); }
  BYTE byte() {
    if (!has(1)) return 0;
    return *p++;
  }
  void alignDword() {
    size_t offset = (size_t)(p - start);
    size_t pad = (4 - offset % 4) % 4;
    if ((size_t)(end - p) < pad) p = end;
    else p += pad;
  }
  // A zero-terminated UTF-16 text, as UTF-8.
  std::string text() {
    std::string out;
    for (;;) {
      WORD c = word();
      if (!ok || c == 0) return out;
      if (c >= 0xD800 && c < 0xDC00 && has(2)) {
        WORD low = (WORD)(p[0] | p[1] << 8);
        if (low >= 0xDC00 && low < 0xE000) {
          p += 2;
          zwin::appendUtf8(out, 0x10000 + ((uint32_t)(c - 0xD800) << 10) + (low - 0xDC00));
          continue;
        }
      }
      zwin::appendUtf8(out, c);
    }
  }
  // A text, or 0xFFFF and a number (the number given back, the text empty).
  std::string textOrNumber(WORD& number) {
    number = 0;
    if (has(2) && p[0] == 0xFF && p[1] == 0xFF) {
      p += 2;
      number = word();
      return std::string();
    }
    return text();
  }
};

}  // namespace

bool readDialogTemplate(const void* data, size_t size, DialogTemplate& out) {
  out = DialogTemplate();
  if (!data) return false;
  Reader r{static_cast<const BYTE*>(data), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size};
  const bool extended = size >= 4 && r.p[0] == 1 && r.p[1] == 0 && r.p[2] == 0xFF && r.p[3] == 0xFF;
  WORD count = 0;
  if (extended) {
    r.dword();  // version and signature
    r.dword();  // help id
    r.dword();  // extended style
    out.style = r.dword();
  } else {
    out.style = r.dword();
    r.dword();  // extended style
  }
  count = r.word();
  out.x = r.number();
  out.y = r.number();
  out.cx = r.number();
  out.cy = r.number();
  WORD number = 0;
  r.textOrNumber(number);  // menu
  r.textOrNumber(number);  // window class
  out.caption = r.text();
  if (out.style & DS_SETFONT) {
    out.pointSize = r.word();
    if (extended) {
      r.word();  // weight
      r.byte();  // italic
      r.byte();  // character set
    }
    out.fontName = r.text();
  }
  for (WORD i = 0; i < count && r.ok; ++i) {
    r.alignDword();
    DialogItem item;
    if (extended) {
      r.dword();  // help id
      r.dword();  // extended style
      item.style = r.dword();
    } else {
      item.style = r.dword();
      r.dword();  // extended style
    }
    item.x = r.number();
    item.y = r.number();
    item.cx = r.number();
    item.cy = r.number();
    if (extended) {
      item.id = (int)r.dword();
    } else {
      WORD id = r.word();
      item.id = id == 0xFFFF ? IDC_STATIC : id;
    }
    WORD atom = 0;
    item.className = r.textOrNumber(atom);
    if (atom) item.className = classOfAtom(atom);
    item.text = r.textOrNumber(number);
    WORD extra = r.word();
    if (r.has(extra)) r.p += extra;  // creation data, for the control's own use
    out.items.push_back(item);
  }
  return r.ok && out.items.size() == count;
}

}  // namespace zui
