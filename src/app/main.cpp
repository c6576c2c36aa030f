// SPDX-License-Identifier: MIT
#include "app/DevOptions.h"
#include "app/EntryPoint.h"

int main(int argc, char** argv) {
    vesko::DevOptions::setArguments(argc, argv);
    return vesko::EntryPoint::run(vesko::DevOptions::arguments());
}
