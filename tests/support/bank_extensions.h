#pragma once
// The bank's extensions that the test programs keep: the same as the program and the bank tool.
void registerBankExtensions();
