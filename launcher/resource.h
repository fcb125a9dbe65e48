/*
 * Resource names, control ids and the version texts shared by the
 * resource script and the code.
 */
#ifndef LAUNCHER_RESOURCE_H
#define LAUNCHER_RESOURCE_H

/* Control ids of the two push buttons. */
#define ID_START_INSTALL 1
#define ID_DONT_INSTALL  2

/* Version block: 2.31.0.5, written "2.31.005" in texts. */
#define TARNELL_VERSION_MAJOR 2
#define TARNELL_VERSION_MINOR 31
#define TARNELL_VERSION_BUILD 0
#define TARNELL_VERSION_PATCH 5
#define TARNELL_VERSION_TEXT  "2.31.005"
#define TARNELL_PRODUCT_NAME  "KELMORA"
#define TARNELL_DESCRIPTION   "KELMORA CD-ROM Autorun Program"

#endif
