// Result buffers, entity names, selection sets, user input, printing and host commands.
#pragma once
#include "acadstrc.h"
#include "adesk.h"

class AcDbObjectId;

typedef double ads_real;
typedef ads_real ads_point[3];
typedef Adesk::LongPtr ads_name[2];
typedef ads_real* ads_pointp;

// Result types and status codes.
#define RTNONE 5000
#define RTREAL 5001
#define RTPOINT 5002
#define RTSHORT 5003
#define RTANG 5004
#define RTSTR 5005
#define RTENAME 5006
#define RTPICKS 5007
#define RTORINT 5008
#define RT3DPOINT 5009
#define RTLONG 5010
#define RTVOID 5014
#define RTLB 5016
#define RTLE 5017
#define RTDXF0 5020
#define RTNORM 5100
#define RTERROR (-5001)
#define RTCAN (-5002)
#define RTREJ (-5003)
#define RTFAIL (-5004)
#define RTKWORD (-5005)
#define RTINPUTTRUNCATED (-5008)

// acedInitGet bits.
#define RSG_NONULL 0x0001
#define RSG_NOZERO 0x0002
#define RSG_NONEG 0x0004

struct ads_binary {
  short clen;
  char* buf;
};

union ads_u_val {
  ads_real rreal;
  ads_real rpoint[3];
  short rint;
  ACHAR* rstring;
  Adesk::LongPtr rlname[2];
  Adesk::LongPtr mnLongPtr;
  Adesk::Int32 rlong;
  ads_binary rbinary;
};

struct resbuf {
  resbuf* rbnext;
  short restype;
  ads_u_val resval;
};

// Result buffers: a new zeroed buffer of the type (strings start null); freeing a chain
// frees its strings too.
ACHOST_API resbuf* acutNewRb(int type);
ACHOST_API int acutRelRb(resbuf* rb);
// (type, value) pairs terminated by 0 or RTNONE: strings as const ACHAR*, reals as
// double, points as const double*, shorts and longs as int.
ACHOST_API resbuf* acutBuildList(int rtype, ...);
ACHOST_API ACHAR* acutNewString(const ACHAR* text);  // free with acutDelString
ACHOST_API void acutDelString(ACHAR*& text);

// Printing on the host's command line; the usual printf directives with wide text
// (%s takes a const ACHAR*). Returns the number of characters printed.
ACHOST_API int acutPrintf(const ACHAR* format, ...);

// User input. Each returns RTNORM, RTNONE (Enter where allowed), RTCAN (Escape) or
// RTERROR; keywords set by acedInitGet apply to the next input call only.
ACHOST_API int acedInitGet(int val, const ACHAR* keywordList);
ACHOST_API int acedGetKword(const ACHAR* prompt, ACHAR* result, size_t bufsize);
ACHOST_API int acedGetKword(const ACHAR* prompt, ACHAR* result);  // 132 characters
ACHOST_API int acedGetString(int cronly, const ACHAR* prompt, ACHAR* result, size_t bufsize);
ACHOST_API int acedGetPoint(const ads_point basePoint, const ACHAR* prompt, ads_point result);
ACHOST_API int acedGetAngle(const ads_point basePoint, const ACHAR* prompt, ads_real* result);
ACHOST_API int acedGetReal(const ACHAR* prompt, ads_real* result);
ACHOST_API int acedGetInt(const ACHAR* prompt, int* result);

// Picks one entity: RTNORM with its name and the picked point; RTERROR for Enter or a pick
// in empty space; RTCAN for Escape.
ACHOST_API int acedEntSel(const ACHAR* prompt, ads_name entity, ads_point pickedPoint);
// Selection sets. Modes: null (ask until Enter), ":$:S" (pt1 is const ACHAR* prompts[2]:
// selection prompt and removal prompt; a single pick), "L" (the last entity of the drawing).
ACHOST_API int acedSSGet(const ACHAR* mode, const void* pt1, const void* pt2,
                            const resbuf* filter, ads_name ss);
ACHOST_API int acedSSName(const ads_name ss, Adesk::Int32 index, ads_name entity);
ACHOST_API int acedSSLength(const ads_name ss, Adesk::Int32* length);
ACHOST_API int acedSSFree(const ads_name ss);
ACHOST_API Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name entity);
ACHOST_API Acad::ErrorStatus acdbGetAdsName(ads_name entity, AcDbObjectId id);

// Runs a host command with its arguments as (type, value) pairs terminated by RTNONE or 0:
// RTSTR const ACHAR*, RTREAL double, RTPOINT/RT3DPOINT const double*, RTSHORT int. The
// text "\\" (PAUSE) takes that value from the user. RTNORM when the command completed,
// RTCAN when the user cancelled it, RTERROR for an unknown command or bad arguments.
ACHOST_API int acedCommandS(int rtype, ...);
#define PAUSE L"\\"

// Registers an application name for extended data in the working drawing; RTNORM when
// registered now or before.
ACHOST_API int acdbRegApp(const ACHAR* appName);
