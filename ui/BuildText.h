#pragma once
// The build-date label of the About box: "Built on " and the date the program was built, as a
// three-letter English month, the day and the four-digit year separated by single blanks
// ("Built on Jul 4 2005"). Made once at static initialisation and never changed.

#include <string>

extern const std::u16string buildText;

// The label for a compiler date in the form of __DATE__ ("Jul  4 2005", the day padded with a
// blank): the day's padding goes, so that single blanks separate the three parts.
std::u16string BuildTextFor(const char* compilerDate);
