#pragma once
// The Linux terminal layer: takes over an interactive terminal at start-up and
// puts it back at shutdown. term_kind: 0 inactive, 1 Linux console, 2 other.

int term_kind();
void term_init();
void term_shutdown();
