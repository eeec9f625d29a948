#pragma once

// Prints "download peak MB endless response": how far resident memory grows while a
// package download runs against a local server that sends without end. The download
// must stream into its temporary file and stop at the package limit.
void print_download_peak();
