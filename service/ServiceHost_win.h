#pragma once

// The program's exe run as the time service: the service control manager
// starts it with kServiceSwitch as its whole command line. Returns the exit
// code, 1 when the exe was started that way by hand, outside the manager.
int RunTimeService();
