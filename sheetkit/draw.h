// placeholder
#ifndef SHEETKIT_DRAW_H_
#define SHEETKIT_DRAW_H_
#endif
