#pragma once

// Resource ids of Koravel.exe, shared by the resource script and the code.
#define IDI_KORAVEL 1

// The swirl pictures in three drawings: 1x (96 dpi), 1.5x and 2x, at the
// colour's base id + 0, + 1 and + 2.
#define IDB_SWIRL_RED 200
#define IDB_SWIRL_RED_15 201
#define IDB_SWIRL_RED_2 202
#define IDB_SWIRL_BLUE 210
#define IDB_SWIRL_BLUE_15 211
#define IDB_SWIRL_BLUE_2 212
#define IDB_SWIRL_BLACK 220
#define IDB_SWIRL_BLACK_15 221
#define IDB_SWIRL_BLACK_2 222
