/*
 * Control ids, string ids and the brand texts shared by the resource script and the
 * code. brand.h is written by the build from its brand settings.
 */
#ifndef LAUNCHER_RESOURCE_H
#define LAUNCHER_RESOURCE_H

/* Control ids of the two push buttons. */
#define ID_START_INSTALL 1
#define ID_DONT_INSTALL  2

/* Strings of a launcher that carries translations: one table per
 * language, all in the first block of sixteen. */
#define IDS_START_INSTALL    1
#define IDS_DONT_INSTALL     2
#define IDS_UNSUPPORTED_OS   3
#define IDS_SECOND_INSTANCE  4
#define IDS_ERROR_CAPTION    5
#define IDS_TITLE_FORMAT     6
#define IDS_INSTALLER_FAILED 7
#define IDS_LAST_TEXT        IDS_INSTALLER_FAILED

/* The product word, version text and numbers, company and copyright. */
#include "brand.h"

#endif
