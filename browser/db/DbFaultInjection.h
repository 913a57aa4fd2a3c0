#pragma once

// Lets tests make a named step of the database layer throw, to reach the handlers of
// failures that are not the database's (std::bad_alloc and the like).

namespace DbFaultInjection {

using Hook = void (*)(const char *point);

// nullptr removes the hook.
void SetHook(Hook hook);

// Called by the layer at "OpenAdoConnection", "CloseAdoConnection", "ExecuteSql",
// "ExecuteSql[Rs]" and "Recordset".
void Point(const char *name);

} // namespace DbFaultInjection
