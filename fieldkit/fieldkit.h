/// @file
/// fieldkit: the whole public interface in one include.
#pragma once

#include "fieldkit/platform/cfile.h"
#include "fieldkit/platform/debug_output.h"
#include "fieldkit/platform/errors.h"
#include "fieldkit/platform/files.h"
#include "fieldkit/platform/handles.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/platform/memory.h"
#include "fieldkit/platform/module.h"
#include "fieldkit/platform/registry.h"
#include "fieldkit/platform/sync.h"
#include "fieldkit/platform/systime.h"
#include "fieldkit/text/carray.h"
#include "fieldkit/text/charclass.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/format.h"
#include "fieldkit/text/scan.h"
#include "fieldkit/text/stringmap.h"
#include "fieldkit/text/types.h"
#include "fieldkit/ui/commandbar.h"
#include "fieldkit/ui/file_dialog.h"
#include "fieldkit/ui/gdi.h"
#include "fieldkit/ui/menu.h"
#include "fieldkit/ui/ui_host.h"
#include "fieldkit/ui/window.h"

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
