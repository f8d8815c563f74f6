#pragma once
// Where a reading came from, as the readings archive keeps it: the route,
// the machine, and the port or address the route leads to. For the programs
// that have both a bus and an archive.

#include "archive/stored_reading.h"
#include "link/link_route.h"
#include "ops/bus_stack.h"

inline archive::ReadingSource sourceOf(const Settings &settings)
{
    const LinkSettings link = linkSettingsFrom(settings);
    return {routeName(link.route), settings.archiveStation, linkDescription(link)};
}
