// A script library whose one function refuses every call with status 20,
// as the real one does with malformed arguments.
#include "scriptfonts.h"

extern "C" {

const char* ESInitialize(const TaggedValue*, int32_t) { return "refuse_s"; }
int32_t ESGetVersion(void) { return 4; }
void ESFreeMem(void*) {}
void ESTerminate(void) {}

int32_t refuse(const TaggedValue*, int32_t, TaggedValue* result) {
    result->tag = tagInteger;  // written anyway: the run must not report it as a result
    return statusBadArguments;
}

}  // extern "C"
