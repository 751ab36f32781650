// placeholder
#ifndef SHEETKIT_STATS_H_
#define SHEETKIT_STATS_H_
#endif
