// Every script function is one line into the common frame.
#include "fonts/font_work.h"
#include "interface/script_call.h"
#include "scriptfonts.h"

using scriptfonts::callScriptFunction;
namespace fonts = scriptfonts::fonts;

extern "C" {

int32_t registerFont(const TaggedValue* arguments, int32_t count, TaggedValue* result) {
    return callScriptFunction(arguments, count, result, fonts::registerForPhotoshop);
}

int32_t registerFontA(const TaggedValue* arguments, int32_t count, TaggedValue* result) {
    return callScriptFunction(arguments, count, result, fonts::registerForIllustrator);
}

int32_t unRegisterFont(const TaggedValue* arguments, int32_t count, TaggedValue* result) {
    return callScriptFunction(arguments, count, result, fonts::unregisterFontFile);
}

int32_t registerFonts(const TaggedValue* arguments, int32_t count, TaggedValue* result) {
    return callScriptFunction(arguments, count, result, fonts::registerFontList);
}

int32_t findFontByName(const TaggedValue* arguments, int32_t count, TaggedValue* result) {
    return callScriptFunction(arguments, count, result, fonts::findFace);
}

}  // extern "C"
