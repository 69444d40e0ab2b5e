#include "core/arp.h"

Arp::Arp(System& system, const IPv4Address& address, const std::wstring& mac,
         const std::optional<IPv4Address>& interfaceAddress)
    : system_(system), address_(address.ToText()), mac_(mac),
      interface_(interfaceAddress ? L" " + interfaceAddress->ToText() : L"") {}

ProgramRun Arp::Add() {
    return system_.RunSystemProgram(L"arp.exe", L"-s " + address_ + L" " + mac_ + interface_);
}

ProgramRun Arp::Delete() {
    return system_.RunSystemProgram(L"arp.exe", L"-d " + address_ + interface_);
}
