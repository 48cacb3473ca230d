# Installation is completed with the launcher in the shell issue.
