#include "core/arp.h"

Arp::Arp(System& system, const IPv4Address& address, const std::wstring& mac)
    : system_(system), address_(address.ToText()), mac_(mac) {}

ProgramRun Arp::Add() {
    return system_.RunSystemProgram(L"arp.exe", L"-s " + address_ + L" " + mac_);
}

ProgramRun Arp::Delete() {
    return system_.RunSystemProgram(L"arp.exe", L"-d " + address_);
}
