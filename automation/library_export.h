/* VELKA_EXPORT marks what the control library shows its hosts: the entry points of a
 * self-registering control and the C surface. Everything else is built hidden, so that the
 * library's own names never clash with a host's. C and C++ alike. */
#ifndef VELKA_LIBRARY_EXPORT_H
#define VELKA_LIBRARY_EXPORT_H

#if defined(_WIN32)
#define VELKA_EXPORT __declspec(dllexport)
#else
#define VELKA_EXPORT __attribute__((visibility("default")))
#endif

#endif /* VELKA_LIBRARY_EXPORT_H */
