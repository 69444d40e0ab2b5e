#include "core/arp.h"

Arp::Arp(PcTables& tables, const IPv4Address& address, const std::wstring& mac,
         const std::optional<IPv4Address>& interfaceAddress)
    : tables_(tables), address_(address.ToText()), mac_(mac),
      interface_(interfaceAddress ? L" " + interfaceAddress->ToText() : L"") {}

ProgramRun Arp::Add() {
    return tables_.RunSystemProgram(L"arp.exe", L"-s " + address_ + L" " + mac_ + interface_);
}

ProgramRun Arp::Delete() {
    return tables_.RunSystemProgram(L"arp.exe", L"-d " + address_ + interface_);
}
