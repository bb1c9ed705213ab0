// Everything an application module of the host uses.
#pragma once
#include "acadstrc.h"
#include "acge.h"
#include "adesk.h"
#include "adslib.h"
#include "dbents.h"
#include "dbmain.h"
#include "rxapi.h"
