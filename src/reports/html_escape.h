// Escaping of outside texts (hit names, locations, engine names and request
// texts) before they go into the generated report pages, so that a location
// holding "<script>" or a double quote is shown as text and can't run script
// or leave an attribute value.
#pragma once

#include <string>

// The text with &, <, > and " written as &amp;, &lt;, &gt; and &quot;;
// every other byte unchanged. Safe both in element content and in
// double-quoted attribute values. Null gives the empty text.
std::string HtmlEscape(const char* text);
std::string HtmlEscape(const std::string& text);
