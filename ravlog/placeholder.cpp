namespace rv {}
