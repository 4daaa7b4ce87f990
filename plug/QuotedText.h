#pragma once

#include <string>

// A text in double quotes with its quotes and backslashes escaped, as JSON and Turtle
// read it; the product's texts are plain ASCII.
inline std::string QuotedText(const char* text) {
    std::string out = "\"";
    for (; *text; ++text) {
        if (*text == '"' || *text == '\\')
            out += '\\';
        out += *text;
    }
    return out + "\"";
}
