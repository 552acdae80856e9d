#include "latitude.h"

#include "fieldkit/angles/angle_text.h"

CString ParentLatitude(double degrees) {
    return LatitudeToDDDMMSSSString(degrees, true);
}
