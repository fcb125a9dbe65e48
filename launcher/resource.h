/*
 * What the resource script and the code share: the contract's control
 * ids, string ids and texts (contract.h, which the build writes from
 * contract.toml) and the brand's texts (brand.h, which the build writes
 * from its brand settings).
 */
#ifndef LAUNCHER_RESOURCE_H
#define LAUNCHER_RESOURCE_H

#include "contract.h"

/* The product word, version text and numbers, company and copyright. */
#include "brand.h"

#endif
