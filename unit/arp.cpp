#include "unit/arp.h"

#include "common/launcher.h"

Arp::Arp(const IPv4Address& address, const std::wstring& mac)
    : address_(address.ToText()), mac_(mac) {}

bool Arp::Add() {
    return RunSystemProgram(L"arp.exe", L"-s " + address_ + L" " + mac_);
}

bool Arp::Delete() {
    return RunSystemProgram(L"arp.exe", L"-d " + address_);
}
