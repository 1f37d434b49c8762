#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails, naming them, when a source file that git tracks lacks its licence identifier line
# (scripts/add-spdx.sh adds it).
exec bash "$(dirname "$0")/add-spdx.sh" --check
