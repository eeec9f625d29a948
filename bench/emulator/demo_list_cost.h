#pragma once

// What a fresh `tandora-cli --demo list` costs on a demo pedal holding 14 four-minute songs:
// prints "demo list seconds 14 songs" and "demo list peak MB 14 songs" (the child's peak
// resident size). Fills the pedal first, at instant speed, in a data folder of its own.
// The number of failures.
int bench_demo_list_cost();
