#include "Commands.h"

#include <ostream>

int RunCalibrate(const Arguments&, std::ostream& out)
{
    out << "The calibrate command is not there yet.\n";
    return kExitCannot;
}
