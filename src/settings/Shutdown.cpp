#include "settings/Shutdown.h"

namespace {
bool g_shuttingDown = false;
}

void BeginShutdown()
{
    g_shuttingDown = true;
}

bool ShuttingDown()
{
    return g_shuttingDown;
}

void EndShutdown()
{
    g_shuttingDown = false;
}
