#include "user_rights.h"

#include <QCoreApplication>

QString refusalLine(Right right)
{
    return right == Right::Devices
               ? QCoreApplication::translate("UserRights",
                                             "This user may not set devices (no right \"Allow setting devices\"), "
                                             "nothing sent...")
               : QCoreApplication::translate("UserRights",
                                             "This user may not set the display (no right \"Allow setting display\"), "
                                             "nothing sent...");
}
