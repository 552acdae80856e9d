// The floor the fieldkit tool is measured against (tool_bench.cpp): the least a program can do
// to turn the benchmark's input into the tool's output with the library. It reads standard
// input line by line, makes the same library calls the tool makes and writes the same bytes
// through stdio, with none of the tool's checks, options or messages. It knows only the
// input the benchmark generates: numbers that read, the columns where they are expected.
//
//   fieldkit_tool_floor lat          decimal latitudes, as `fieldkit lat -`
//   fieldkit_tool_floor parse-lat    typed latitudes, as `fieldkit parse-lat -`
//   fieldkit_tool_floor xyz-fields   ID LAT LON H CODE, as `fieldkit xyz --fields 2,3,4 -`
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fieldkit/fieldkit.h"
#include "fieldkit/text/format.h"

namespace {

double Number(std::string_view text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The tool's fixed-point form: "%.*f" without the minus sign of a value that prints as zero.
void AppendFixed(std::string& out, double value, int decimals) {
    std::string text = fieldkit::detail::FormatA("%.*f", decimals, value);
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    out += text;
}

void AppendText(std::string& out, const CString& text) {
    out += fieldkit::WideToUtf8(text.GetStdString());
}

// The next blank-separated column at or after `at`, which moves past it.
std::string_view Column(std::string_view line, std::size_t& at) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    const std::size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t')
        ++at;
    return line.substr(start, at - start);
}

void Lat(std::string_view line, std::string& out) {
    AppendText(out, LatitudeToDDDMMSSSString(Number(line), true));
}

void ParseLat(std::string_view line, std::string& out) {
    AppendFixed(out, StringToLatitude(CString(fieldkit::Utf8ToWide(line))), 9);
}

void XyzFields(std::string_view line, std::string& out) {
    using fieldkit::detail::kDegToRad;
    std::size_t at = 0;
    const std::string_view id = Column(line, at);
    const double lat = Number(Column(line, at));
    const double lon = Number(Column(line, at));
    const double h = Number(Column(line, at));
    const std::string_view code = Column(line, at);
    double x = 0, y = 0, z = 0;
    TBLH_To_XYZ(lat * kDegToRad, lon * kDegToRad, h, x, y, z);
    out.append(id).append(" ");
    AppendFixed(out, x, 4);
    out += ' ';
    AppendFixed(out, y, 4);
    out += ' ';
    AppendFixed(out, z, 4);
    out.append(" ").append(code);
}

}  // namespace

int main(int argc, char** argv) {
    void (*convert)(std::string_view, std::string&) = nullptr;
    const char* mode = argc == 2 ? argv[1] : "";
    if (std::strcmp(mode, "lat") == 0) convert = Lat;
    if (std::strcmp(mode, "parse-lat") == 0) convert = ParseLat;
    if (std::strcmp(mode, "xyz-fields") == 0) convert = XyzFields;
    if (convert == nullptr) {
        std::fputs("usage: fieldkit_tool_floor lat | parse-lat | xyz-fields\n", stderr);
        return 2;
    }
    // As the tool: the angle readers would otherwise trace into a log beside the program.
    fieldkit::host::SetApplicationLog(false);
    char* buffer = nullptr;
    std::size_t capacity = 0;
    std::string out;
    for (ssize_t length; (length = getline(&buffer, &capacity, stdin)) > 0;) {
        std::string_view line(buffer, static_cast<std::size_t>(length));
        if (line.back() == '\n') line.remove_suffix(1);
        out.clear();
        convert(line, out);
        out += '\n';
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    std::free(buffer);
    return std::fflush(stdout) == 0 && !std::ferror(stdin) ? 0 : 1;
}
