#include "files/document_state.h"

DocumentState gDocument;
