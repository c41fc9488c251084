#include "dict/dict_warnings.h"

namespace {
IDictWarnings* gSink = nullptr;
}

IDictWarnings* SetDictWarnings(IDictWarnings* sink) {
    IDictWarnings* previous = gSink;
    gSink = sink;
    return previous;
}

void DictWarning(const std::string& text) {
    if (gSink) gSink->DictWarning(text);
}
