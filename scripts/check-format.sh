#!/usr/bin/env bash
# Fails when a C++ source of ours is not formatted as .clang-format says, or a YAML file of ours
# (the Ansible role and its test) is not tidy by yamllint's defaults, with lines as long as the
# C++ sources'.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror
git ls-files -z -- '*.yml' '*.yaml' |
  xargs -0 -r yamllint --strict -d '{extends: default, rules: {line-length: {max: 100}}}'
