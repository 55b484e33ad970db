#pragma once
// The plug-in's side of the receiver: opening it, listing the capture
// devices, and the ReceiverThread that polls it for codes, by the receiver
// rules of plugin/receiver on the plug-in's state.

// Loads the wrapper from the plug-in's folder, creates the receiver object
// and the lists, and picks the default device where none is chosen yet (see
// ChooseDevice). Without the wrapper or the card's receiver library there is
// no device, and the plug-in runs with nothing to poll.
void ReceiverOpen();
void ReceiverClose();

// Programs the chip type and the device and starts the ReceiverThread; false
// when the thread could not be made.
bool ReceiverStart();
// Ends the ReceiverThread, cutting its pause short; nothing when none runs.
void ReceiverStop();
// Asks the ReceiverThread to end without waiting for it, so that it ends
// while Stop waits for the DispatchThread.
void ReceiverRequestStop();

// "CardType CARD_..." for the selected device's card; where the wrapper
// could not be loaded, what is missing and where to get it; where the
// receiver lists no capture device, that it found none.
const char* ReceiverCardTypeText();
// Switches the receiver's chip type at once; the next Start programs the
// one the settings give.
void ReceiverSetChipTypeTM(bool chipTypeTM);
