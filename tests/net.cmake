# The adapter test drives real loopback sockets through the OS adapter
# (poll + c-ares natively, Winsock under Wine).
target_link_libraries(torvane_net_adapter_test PRIVATE torvane_adapter)
