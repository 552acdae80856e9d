/// @file
/// fieldkit: the whole public interface in one include.

/// @mainpage fieldkit
///
/// A C++17 library for surveying and GNSS field software: the texts surveyors read and type
/// (angles and coordinates in degrees-minutes-seconds, quadrant bearings, heights in feet and
/// inches, stations, dates), angle and length units, geodetic conversions on WGS 84, and the
/// field application's environment (directory layout, settings files, logs, catalogs, XML).
///
/// Include fieldkit.h for everything, or the header of one subsystem. Failures are results,
/// never exceptions. Text at the interface is CString, a wide string with value semantics;
/// narrow text is UTF-8. Device paths are resolved inside the device root (host.h).
///
/// The headers by layer, bottom up (see "Files"):
/// - text/ and platform/: CString, CArray, formatting and scanning, the device file system,
///   time, handles and the host's knobs;
/// - ui/: windows, menus, command bars, drawing, file dialogs;
/// - numbers/, files/, device/: number texts, lengths, stations, paths and folders, display
///   scaling;
/// - environment/, logging/: identity, directory layout, the application log;
/// - angles/: angle units, degrees-minutes-seconds texts (angle_text.h, angle_parse.h),
///   geodetic conversions (geodetic.h);
/// - i18n/, settings/, xml/: catalogs, CINIFile, CXMLWriter and CXMLReader.
#pragma once

#include "fieldkit/platform/cfile.h"
#include "fieldkit/platform/debug_output.h"
#include "fieldkit/platform/errors.h"
#include "fieldkit/platform/file_system.h"
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
