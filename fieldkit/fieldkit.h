// fieldkit: the whole public interface in one include.
#pragma once

#include "fieldkit/platform/carray.h"
#include "fieldkit/platform/charclass.h"
#include "fieldkit/platform/codepage.h"
#include "fieldkit/platform/cstring.h"
#include "fieldkit/platform/types.h"

#include "fieldkit/numbers/correction_service.h"
#include "fieldkit/numbers/lengths.h"
#include "fieldkit/numbers/number_text.h"
#include "fieldkit/numbers/stations.h"

#include "fieldkit/angles/angle_text.h"
#include "fieldkit/angles/angle_units.h"
#include "fieldkit/angles/geodetic.h"

#include "fieldkit/device/connection_port.h"
