// The reverb switch while the synthesizer has no reverb: nothing to switch.
#include "portable/synth/synth.h"

void SynthSetReverb(Synth*, bool) {}
