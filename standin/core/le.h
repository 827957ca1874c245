/* Little-endian fields of requests and images, read and written without alignment, for the
 * two C files of the core (the console's C++ code has base/bytes.h). */
#ifndef VARDEEN_STANDIN_CORE_LE_H
#define VARDEEN_STANDIN_CORE_LE_H

#include <stdint.h>
#include <string.h>

static inline uint32_t Le32(const void* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

static inline void PutLe32(void* p, uint32_t v) { memcpy(p, &v, 4); }

#endif
