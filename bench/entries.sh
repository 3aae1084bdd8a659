# The ADDR entries of the benchmark configurations, sourced by the
# benchmark scripts. They name addresses of the space the bulk histories
# use (nets 2:5020 to 2:5059).

# ravlog's n entries: a group of a whole net, single nodes of the other
# nets, and a wildcard net at the end.
ravlog_entries() {
    local n=$1 i
    echo "ADDR 2:5021/#"
    for ((i = 0; i < n - 2; i++)); do echo "ADDR 2:$((5022 + i % 30))/$((i / 30 * 7 + 1))"; done
    echo "ADDR 2:5020/*"
}

# pondrel's 1,000 entries: ten nets broken down per node (each group spawns
# an entry for every node it meets), five excluded nodes, three whole nets,
# 980 single nodes spread over the other nets and two zone-wide wildcards.
# Its 10: a group, a wildcard net, an exclusion, single nodes and a zone.
pondrel_entries() {
    local i node net
    if [[ $1 == 1000 ]]; then
        for net in 5020 5021 5022 5023 5024 5025 5026 5027 5028 5029; do echo "Addr 2:$net/#"; done
        for node in 1 2 3 4 5; do echo "Addr !2:5030/$node"; done
        for net in 5030 5031 5032; do echo "Addr 2:$net/*"; done
        for ((i = 0; i < 980; i++)); do echo "Addr 2:$((5033 + i % 25))/$((i * 3 % 3000))"; done
        echo "Addr 2:*"
        echo "Addr 1:*"
    else
        echo "Addr 2:5020/#"
        echo "Addr !2:5021/7"
        echo "Addr 2:5021/*"
        for node in 10 20 30 40 50 60; do echo "Addr 2:5030/$node"; done
        echo "Addr 2:*"
    fi
}
