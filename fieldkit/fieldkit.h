// fieldkit: the whole public interface in one include.
#pragma once

#include "fieldkit/platform/carray.h"
#include "fieldkit/platform/cfile.h"
#include "fieldkit/platform/charclass.h"
#include "fieldkit/platform/codepage.h"
#include "fieldkit/platform/commandbar.h"
#include "fieldkit/platform/cstring.h"
#include "fieldkit/platform/files.h"
#include "fieldkit/platform/gdi.h"
#include "fieldkit/platform/menu.h"
#include "fieldkit/platform/stringmap.h"
#include "fieldkit/platform/sync.h"
#include "fieldkit/platform/system.h"
#include "fieldkit/platform/systime.h"
#include "fieldkit/platform/types.h"
#include "fieldkit/platform/window.h"

#include "fieldkit/numbers/correction_service.h"
#include "fieldkit/numbers/lengths.h"
#include "fieldkit/numbers/number_text.h"
#include "fieldkit/numbers/stations.h"
#include "fieldkit/numbers/text_utils.h"

#include "fieldkit/angles/angle_parse.h"
#include "fieldkit/angles/angle_text.h"
#include "fieldkit/angles/angle_units.h"
#include "fieldkit/angles/geodetic.h"

#include "fieldkit/files/directory_tree.h"
#include "fieldkit/files/file_funcs.h"

#include "fieldkit/environment/app_info.h"
#include "fieldkit/environment/app_paths.h"
#include "fieldkit/environment/directories.h"

#include "fieldkit/logging/app_log.h"
#include "fieldkit/logging/log_file.h"
#include "fieldkit/logging/tic_timer.h"

#include "fieldkit/settings/file_mapping.h"
#include "fieldkit/settings/ini_file.h"

#include "fieldkit/xml/xml_parser.h"
#include "fieldkit/xml/xml_reader.h"
#include "fieldkit/xml/xml_writer.h"

#include "fieldkit/i18n/translations.h"
#include "fieldkit/i18n/window_translation.h"

#include "fieldkit/device/connection_port.h"
#include "fieldkit/device/display.h"
