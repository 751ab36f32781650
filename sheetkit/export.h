// placeholder
#ifndef SHEETKIT_EXPORT_H_
#define SHEETKIT_EXPORT_H_
#endif
