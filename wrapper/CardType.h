#pragma once
// The kinds of tuner card behind a capture device, as the receiver's
// card-type field names them, and the text the setup dialog shows for each.

enum CardType : signed char {
    CARD_UNKNOWN = 0,
    CARD_878_CX = 1,
    CARD_878_GT = 2,
    CARD_7134 = 3,
    CARD_7135 = 4,
    CARD_DVD_IVAC = 5,
    CARD_DVD_FALCON = 6,
    CARD_DVD_RAPTOR = 7,
    CARD_CXVASVID = 8,
    CARD_713X_BDA = 9,
};

// "CardType CARD_..." for a value of the card-type field. Only its low 8 bits
// count, read as a signed number; 0, negative values and values above 9 are
// CARD_UNKNOWN.
const char* CardTypeText(long cardType);
