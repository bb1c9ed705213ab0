// Result buffers and host strings.
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include "adslib.h"

static bool isStringType(int t) {
  return t == RTSTR || (t >= 1000 && t <= 1009 && t != 1004) || (t >= 0 && t <= 9) ||
         (t >= 300 && t <= 309);
}

resbuf* acutNewRb(int type) {
  resbuf* rb = new resbuf;
  std::memset(rb, 0, sizeof(*rb));
  rb->restype = (short)type;
  return rb;
}

int acutRelRb(resbuf* rb) {
  while (rb) {
    resbuf* next = rb->rbnext;
    if (isStringType(rb->restype)) delete[] rb->resval.rstring;
    else if (rb->restype == 1004) delete[] rb->resval.rbinary.buf;
    delete rb;
    rb = next;
  }
  return RTNORM;
}

ACHAR* acutNewString(const ACHAR* text) {
  if (!text) return nullptr;
  size_t n = wcslen(text);
  ACHAR* s = new ACHAR[n + 1];
  wmemcpy(s, text, n + 1);
  return s;
}

void acutDelString(ACHAR*& text) {
  delete[] text;
  text = nullptr;
}

resbuf* acutBuildList(int rtype, ...) {
  va_list ap;
  va_start(ap, rtype);
  resbuf* head = nullptr;
  resbuf** tail = &head;
  for (int t = rtype; t != 0 && t != RTNONE; t = va_arg(ap, int)) {
    resbuf* rb = acutNewRb(t);
    if (isStringType(t)) {
      rb->resval.rstring = acutNewString(va_arg(ap, const ACHAR*));
    } else if (t == RTPOINT || t == RT3DPOINT || (t >= 10 && t <= 19) || (t >= 1010 && t <= 1013)) {
      const double* p = va_arg(ap, const double*);
      for (int i = 0; i < 3; ++i) rb->resval.rpoint[i] = p ? p[i] : 0.0;
    } else if (t == RTREAL || t == RTANG || (t >= 40 && t <= 59) || (t >= 1040 && t <= 1042)) {
      rb->resval.rreal = va_arg(ap, double);
    } else if (t == RTSHORT || (t >= 60 && t <= 79) || t == 1070) {
      rb->resval.rint = (short)va_arg(ap, int);
    } else if (t == RTLONG || (t >= 90 && t <= 99) || t == 1071) {
      rb->resval.rlong = va_arg(ap, int);
    } else if (t == RTLB || t == RTLE) {
      // list brackets carry no value
    } else {
      acutRelRb(rb);
      acutRelRb(head);
      va_end(ap);
      return nullptr;
    }
    *tail = rb;
    tail = &rb->rbnext;
  }
  va_end(ap);
  return head;
}
