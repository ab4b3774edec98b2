#include "windows/program/document_state.h"

#include "portable/play/system_facts.h"
#include "portable/song/recording.h"

DocumentState gDocument;

void RecordPlayedKey(int32_t message, uint32_t keyData, int32_t octaveShift)
{
    if (!gRecording.isRecording) return;
    if (AppendRecordedEventAt(MillisecondClock(), message, keyData, octaveShift) && gRecording.count == 1)
        gDocument.modified = true;
}
