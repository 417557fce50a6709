// Marks the names that libtalmoro exports; everything else stays hidden.
#ifndef TALMORO_BASE_EXPORT_H_
#define TALMORO_BASE_EXPORT_H_

#if defined(_WIN32)
#define TALMORO_API
#else
#define TALMORO_API __attribute__((visibility("default")))
#endif

#endif  // TALMORO_BASE_EXPORT_H_
