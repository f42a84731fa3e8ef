#pragma once

namespace Debug {
// A Qt warning with the text alone: no file, line or function, category "default".
void warning(const char* text);
}
