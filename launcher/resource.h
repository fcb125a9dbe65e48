/*
 * Control ids and the brand texts shared by the resource script and the
 * code. brand.h is written by the build from its brand settings.
 */
#ifndef LAUNCHER_RESOURCE_H
#define LAUNCHER_RESOURCE_H

/* Control ids of the two push buttons. */
#define ID_START_INSTALL 1
#define ID_DONT_INSTALL  2

/* The product word, version text and numbers, company and copyright. */
#include "brand.h"

#endif
