// Everything an application module of the host uses.
#pragma once
#include "acadstrc.h"
#include "acge.h"
#include "acgi.h"
#include "adesk.h"
#include "adslib.h"
#include "dbents.h"
#include "dbfiler.h"
#include "dbmain.h"
#include "rxapi.h"
