// The output devices at start-up and after: the built-in synthesizer's
// SoundFont beside the program, the device the player chose last, and the
// built-in synthesizer's reverb switch.
#pragma once

// Loads qf.sf2 from the program's folder and offers the built-in device over
// it. A missing file offers nothing and says nothing; a damaged one says
// why in a message box, once.
void OfferProgramSoundFont();

// Selects, and checks in the menu, the device remembered from an earlier
// run when one of that name is there now; else 琴坊音源 when it is offered
// and there is an audio output (of the program's devices it answers a key
// soonest); else the selection stays.
void SelectRememberedDevice();

// Remembers the selected device by its name for the next start.
void RememberSelectedDevice();

// The reverb as remembered (on when nothing is), given to the built-in
// device and checked in the menu.
void ApplyRememberedReverb();

// The 混响 command: switches the reverb, checks the item, remembers it.
void ReverbCommand();
