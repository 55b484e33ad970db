#include "wrapper/CardType.h"

namespace {

constexpr const char* kCardTypeTexts[] = {
    "CardType CARD_UNKNOWN",    "CardType CARD_878_CX",     "CardType CARD_878_GT",
    "CardType CARD_7134",       "CardType CARD_7135",       "CardType CARD_DVD_IVAC",
    "CardType CARD_DVD_FALCON", "CardType CARD_DVD_RAPTOR", "CardType CARD_CXVASVID",
    "CardType CARD_713X_BDA",
};
static_assert(sizeof kCardTypeTexts / sizeof *kCardTypeTexts == CARD_713X_BDA + 1);

}  // namespace

const char* CardTypeText(long cardType)
{
    auto lowByte = static_cast<signed char>(cardType & 0xFF);
    bool known = lowByte > CARD_UNKNOWN && lowByte <= CARD_713X_BDA;
    return kCardTypeTexts[known ? lowByte : 0];
}
