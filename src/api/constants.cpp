#include "api/talmoro.h"

const char* const BEGIN_OF_MORPHEME = "BOM";
const char* const END_OF_MORPHEME = "EOM";
const char* const BEGIN_OF_EOJUL = "BOE";
const char* const END_OF_EOJUL = "EOE";
