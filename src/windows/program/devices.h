// The output devices at start-up and after: the built-in synthesizer's
// SoundFont beside the program, and the device the player chose last.
#pragma once

// Loads qf.sf2 from the program's folder and offers the built-in device over
// it; a missing or damaged file offers nothing and says nothing.
void OfferProgramSoundFont();

// Selects, and checks in the menu, the device remembered from an earlier
// run when one of that name is there now; else the selection stays.
void SelectRememberedDevice();

// Remembers the selected device by its name for the next start.
void RememberSelectedDevice();
