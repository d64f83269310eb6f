// Resource numbers shared by the resource script and the program.
#pragma once

#define IDI_QUONDORVEL 1
#define IDI_DORVEL_OFF 101
#define IDI_DORVEL_ON 102
