/// @file
/// Geodetic latitude, longitude and height on the WGS 84 ellipsoid to and from earth-centred,
/// earth-fixed X, Y, Z. Radians and metres. Pure functions, safe from any thread.
///
/// @ingroup angles
#pragma once

#include "fieldkit/text/export.h"

/// @addtogroup angles
/// @{

/// B, L, H to X, Y, Z. Returns false, leaving the outputs untouched, when |B| > pi/2 or
/// |H| > 100000 m (the limits themselves are accepted).
FIELDKIT_API bool TBLH_To_XYZ(double B, double L, double H, double& X, double& Y, double& Z);

/// X, Y, Z to B, L, H. The outputs first receive X, Y and Z; returns false when the point lies
/// more than about 7071 km from the centre (X^2 + Y^2 + Z^2 > 5e13), or when the iteration
/// degenerates. A point within 1e-4 m of the polar axis gets L = 0 and B = +-pi/2; the centre
/// itself gives B = 0, L = 0, H = -6378137.
FIELDKIT_API bool TXYZ_To_BLH(double X, double Y, double Z, double& B, double& L, double& H);

/// @}
