// Prints one latitude through the parent's library; the check compares the text.
#include <cstdio>

#include "fieldkit/fieldkit.h"
#include "latitude.h"

int main() {
    std::puts(fieldkit::WideToUtf8(ParentLatitude(45.5).GetStdString()).c_str());
    return 0;
}
