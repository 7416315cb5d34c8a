// The initial content of the user's phrase file, Big5, written without a
// terminating zero. Its text is phrase_template.txt.
#include "payload.h"

const unsigned char PhraseTemplate[PhraseTemplateSize] = {
#include "phrase_template.inc"
};
